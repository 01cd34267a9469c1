// What the install rules put in place for the packages: the system unit runs
// pkisim under a static system account that the library's owner check
// trusts, and the pkg-config file names normalised folders.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "childProcess.h"
#include "peerOwner.h"
#include "tempDir.h"

namespace {

using namespace std::chrono_literals;
using testsupport::childProcess;
using testsupport::childResult;

constexpr auto hangLimit = 120s; // only to catch hangs
// The first uid that systemd gives a dynamic user.
constexpr uid_t firstDynamicUid = 61184;

childResult run(const std::vector<std::string>& argv, const std::vector<std::string>& env = {})
{
    return childProcess(argv, env, "").finish(hangLimit);
}

// Installs one component of this build under `prefix`.
void installComponent(const std::string& component, const std::string& prefix)
{
    const childResult result =
        run({CMAKE_COMMAND, "--install", BUILD_DIR, "--component", component, "--prefix", prefix});
    ASSERT_EQ(result.status, 0) << result.out << result.err;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The settings of one section of a unit file, the last value of each key.
std::map<std::string, std::string> unitSection(const std::string& text, const std::string& section)
{
    std::map<std::string, std::string> settings;
    std::istringstream lines(text);
    std::string line;
    bool inSection = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line[0] == '[')
            inSection = line == "[" + section + "]";
        const size_t equals = line.find('=');
        if (inSection && !line.empty() && line[0] != '#' && equals != std::string::npos)
            settings[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return settings;
}

// The uid that /etc/passwd under `root` gives `user`, -1 when none.
long uidIn(const std::string& root, const std::string& user)
{
    std::istringstream passwd(readFile(root + "/etc/passwd"));
    std::string line;
    while (std::getline(passwd, line))
        if (line.compare(0, user.size() + 1, user + ":") == 0)
            return std::stol(line.substr(line.find(':', user.size() + 1) + 1));
    return -1;
}

TEST(installedTree, theSystemUnitRunsAsAStaticSystemAccountThatClientsTrust)
{
    testsupport::tempDir root;
    installComponent("tools", root.path() + "/usr");
    const std::map<std::string, std::string> service =
        unitSection(readFile(root.path() + "/usr/lib/systemd/system/pkisim.service"), "Service");
    ASSERT_EQ(service.count("User"), 1u) << "the unit names its account";
    EXPECT_EQ(service.at("User"), "pkisim");
    EXPECT_TRUE(service.count("DynamicUser") == 0 || service.at("DynamicUser") == "no");
    EXPECT_FALSE(vant::trustedOwner(firstDynamicUid)) << "why a dynamic user cannot serve applications";

    const std::string sysusers = root.path() + "/usr/lib/sysusers.d/pkisim.conf";
    ASSERT_FALSE(readFile(sysusers).empty());
    if (access("/usr/bin/systemd-sysusers", X_OK) != 0)
        GTEST_SKIP() << "no systemd-sysusers to make the account from " << sysusers;
    ASSERT_EQ(mkdir((root.path() + "/etc").c_str(), 0755), 0);
    const childResult made = run({"/usr/bin/systemd-sysusers", "--root=" + root.path(), "pkisim.conf"});
    ASSERT_EQ(made.status, 0) << made.err;
    const long uid = uidIn(root.path(), "pkisim");
    ASSERT_GT(uid, 0) << "an account of its own, not root";
    EXPECT_TRUE(vant::trustedOwner(static_cast<uid_t>(uid))) << "uid " << uid;
}

TEST(installedTree, thePkgConfigFileNamesNormalisedFoldersOfThePrefix)
{
    testsupport::tempDir root;
    installComponent("development", root.path() + "/./elsewhere/../usr/");
    const std::string pc = root.path() + "/usr/" INSTALL_LIBDIR "/pkgconfig";
    EXPECT_EQ(readFile(pc + "/tessera.pc").find("/."), std::string::npos) << readFile(pc + "/tessera.pc");

    const std::vector<std::string> env = {"PKG_CONFIG_PATH=" + pc};
    const childResult include = run({"/usr/bin/pkg-config", "--variable=includedir", "tessera"}, env);
    EXPECT_EQ(include.out, root.path() + "/usr/include\n") << include.err;
    const childResult lib = run({"/usr/bin/pkg-config", "--variable=libdir", "tessera"}, env);
    EXPECT_EQ(lib.out, root.path() + "/usr/" INSTALL_LIBDIR "\n") << lib.err;
}

} // namespace
