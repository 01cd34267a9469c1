#include "bashCompletion.h"

namespace completion {
namespace {

// The levels are told apart by the command words that lead to them, each
// preceded by a space: "" is the top, " ctl insert" a nested command.
struct caseLines {
    std::string valueOptions; // case patterns: options that take the next word
    std::string commandSteps; // case arms: a command word entering its level
    std::string wordLists;    // case arms: what completes at each level
};

std::string quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

void appendPattern(std::string& patterns, const std::string& pattern)
{
    patterns += (patterns.empty() ? "" : "|") + quoted(pattern);
}

void collect(const level& at, const std::string& path, caseLines& out)
{
    std::string words;
    for (const option& o : at.options) {
        words += (words.empty() ? "" : " ") + o.word;
        if (o.takesValue)
            appendPattern(out.valueOptions, path + " " + o.word);
    }
    for (const command& c : at.commands) {
        words += (words.empty() ? "" : " ") + c.name;
        const std::string inner = path + " " + c.name;
        out.commandSteps += "        " + quoted(inner) + ") path=" + quoted(inner) + " ;;\n";
        collect(c.next, inner, out);
    }
    if (!words.empty())
        out.wordLists += "    " + quoted(path) + ") words=" + quoted(words) + " ;;\n";
}

} // namespace

std::string bashScript(const std::string& program, const level& top)
{
    caseLines lines;
    collect(top, "", lines);
    std::string valueArm;
    if (!lines.valueOptions.empty())
        valueArm = "        " + lines.valueOptions +
                   ")\n"
                   "            # the value being typed: file names\n"
                   "            ((i + 1 < COMP_CWORD)) || return 0\n"
                   "            ((i++)) ;;\n";
    return "# bash completion for " + program + ", written by `" + program + " --bash-completion`\n" + "_" + program +
           "()\n"
           "{\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} path= words= i\n"
           "    COMPREPLY=()\n"
           "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
           "        case \"$path ${COMP_WORDS[i]}\" in\n" +
           valueArm + lines.commandSteps +
           "        esac\n"
           "    done\n"
           "    case \"$path\" in\n" +
           lines.wordLists +
           "    esac\n"
           "    COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
           "}\n"
           "complete -o default -F _" +
           program + " " + program + "\n";
}

} // namespace completion
