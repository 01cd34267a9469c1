// The applications that may log in: the built-in demo application and those
// of an optional JSON file (an array of {"appName","appID","token"} objects).
#ifndef PKISIM_APP_REGISTRY_H
#define PKISIM_APP_REGISTRY_H

#include <string>
#include <vector>

namespace pkisim {

class appRegistry {
public:
    appRegistry();
    // Adds the applications of a file; throws std::runtime_error saying what
    // is wrong with it.
    void loadFile(const std::string& path);
    bool accepts(const std::string& appName, const std::string& appID, const std::string& token) const;

private:
    struct application {
        std::string appName;
        std::string appID;
        std::string token;
    };
    std::vector<application> apps;
};

} // namespace pkisim

#endif // PKISIM_APP_REGISTRY_H
