#include "collector/CollectorConfig.h"

#include "cli/Arguments.h"
#include "cli/CliErrors.h"

#include <QFile>
#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <sstream>

namespace kelvra::collector {

namespace {

constexpr std::string_view kTerminalPrefix = "terminal:";

std::string Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r");
    return std::string(text.substr(first, last - first + 1));
}

// Whole numbers only; the reason names the key.
int Number(const std::string& value, int min, int max, const std::string& key) {
    try {
        return static_cast<int>(cli::ParseInteger(value, min, max, key));
    } catch (const cli::UsageError&) {
        throw std::invalid_argument(key + " must be a whole number from " + std::to_string(min) +
                                    " to " + std::to_string(max) + ", not \"" + value + "\"");
    }
}

// "udp HOST:PORT", "tcp HOST:PORT", "serial DEVICE".
void ParseLink(const std::string& value, TerminalSettings& terminal) {
    const auto blank = value.find(' ');
    const std::string kind = value.substr(0, blank);
    const std::string where = blank == std::string::npos ? "" : Trimmed(value.substr(blank));
    if (where.empty() || (kind != "udp" && kind != "tcp" && kind != "serial")) {
        throw std::invalid_argument(
            "link must be \"udp HOST:PORT\", \"tcp HOST:PORT\" or \"serial DEVICE\", not \"" +
            value + "\"");
    }
    if (kind == "serial") {
        terminal.link = TerminalLink::Serial;
        terminal.device = where;
        return;
    }
    terminal.link = kind == "udp" ? TerminalLink::Udp : TerminalLink::Tcp;
    try {
        const cli::HostPort endpoint = cli::ParseHostPort(where, "link");
        terminal.host = endpoint.host;
        terminal.port = endpoint.port;
    } catch (const cli::UsageError& error) {
        throw std::invalid_argument(error.what());
    }
}

// "push" or "poll SECONDS".
void ParseMode(const std::string& value, TerminalSettings& terminal) {
    if (value == "push") {
        terminal.pollSeconds = 0;
        return;
    }
    if (value.rfind("poll ", 0) == 0) {
        terminal.pollSeconds = Number(Trimmed(value.substr(5)), 1, 86400, "poll");
        return;
    }
    throw std::invalid_argument("mode must be \"push\" or \"poll SECONDS\", not \"" + value + "\"");
}

using TerminalKey = std::function<void(const std::string& value, TerminalSettings&)>;

const std::map<std::string, TerminalKey>& TerminalKeys() {
    static const std::map<std::string, TerminalKey> keys{
        {"link", ParseLink},
        {"source",
         [](const std::string& value, TerminalSettings& t) {
             t.source = static_cast<std::int16_t>(Number(value, 0, 200, "source"));
         }},
        {"password", [](const std::string& value, TerminalSettings& t) { t.password = value; }},
        {"mode", ParseMode},
        {"timeout",
         [](const std::string& value, TerminalSettings& t) {
             t.timeoutMs = Number(value, 100, 60000, "timeout");
         }},
        {"module-port",
         [](const std::string& value, TerminalSettings& t) {
             t.modulePort = Number(value, 1, 65535, "module-port");
         }},
        {"idle-check",
         [](const std::string& value, TerminalSettings& t) {
             t.idleCheckSeconds = Number(value, 1, 3600, "idle-check");
         }},
    };
    return keys;
}

class Parser {
public:
    explicit Parser(std::string fileName) : m_fileName(std::move(fileName)) {}

    CollectorSettings parse(const std::string& text) {
        std::istringstream lines(text);
        std::string line;
        while (std::getline(lines, line)) {
            ++m_line;
            try {
                parseLine(Trimmed(line));
            } catch (const std::invalid_argument& error) {
                fail(m_line, error.what());
            }
        }
        finishSection();
        return m_settings;
    }

private:
    [[noreturn]] void fail(int line, const std::string& reason) const {
        throw ConfigError(m_fileName + ":" + std::to_string(line) + ": " + reason);
    }

    void parseLine(const std::string& line) {
        if (line.empty() || line.front() == ';' || line.front() == '#') {
            return;
        }
        if (line.front() == '[') {
            if (line.back() != ']') {
                throw std::invalid_argument("a section header ends with \"]\"");
            }
            startSection(Trimmed(std::string_view(line).substr(1, line.size() - 2)));
            return;
        }
        const auto equals = line.find('=');
        if (equals == std::string::npos) {
            throw std::invalid_argument("expected KEY=VALUE, not \"" + line + "\"");
        }
        const std::string key = Trimmed(std::string_view(line).substr(0, equals));
        const std::string value = Trimmed(std::string_view(line).substr(equals + 1));
        if (m_section.empty()) {
            throw std::invalid_argument("\"" + key + "\" stands before any section");
        }
        if (!m_keys.insert(key).second) {
            throw std::invalid_argument("\"" + key + "\" is given twice in [" + m_section + "]");
        }
        if (m_terminal) {
            const auto handler = TerminalKeys().find(key);
            if (handler == TerminalKeys().end()) {
                throw std::invalid_argument("unknown key \"" + key + "\" in [" + m_section + "]");
            }
            handler->second(value, *m_terminal);
        } else if (key == "url") {
            if (value.rfind("sqlite:", 0) != 0 && value.rfind("postgresql://", 0) != 0) {
                throw std::invalid_argument(
                    "url must be sqlite:PATH or postgresql://USER@HOST/DATABASE, not \"" + value +
                    "\"");
            }
            m_settings.databaseUrl = value;
        } else {
            throw std::invalid_argument("unknown key \"" + key + "\" in [database]");
        }
    }

    void startSection(const std::string& name) {
        finishSection();
        m_section = name;
        m_sectionLine = m_line;
        m_keys.clear();
        if (name == "database") {
            if (!m_sections.insert(name).second) {
                throw std::invalid_argument("[database] is given twice");
            }
            return;
        }
        if (name.rfind(kTerminalPrefix, 0) != 0) {
            throw std::invalid_argument("unknown section [" + name +
                                        "]: expected [database] or [terminal:NAME]");
        }
        TerminalSettings terminal;
        terminal.name = Trimmed(std::string_view(name).substr(kTerminalPrefix.size()));
        const bool plainName = !terminal.name.empty() &&
                               std::all_of(terminal.name.begin(), terminal.name.end(), [](char c) {
                                   return std::isalnum(static_cast<unsigned char>(c)) || c == '-' ||
                                          c == '_' || c == '.';
                               });
        if (!plainName) {
            throw std::invalid_argument(
                "a terminal's name is letters, digits, \"-\", \"_\" and \".\", not \"" +
                terminal.name + "\"");
        }
        if (!m_sections.insert(name).second) {
            throw std::invalid_argument("[" + name + "] is given twice");
        }
        m_terminal = terminal;
    }

    void finishSection() {
        if (!m_terminal) {
            return;
        }
        if (!m_keys.contains("link")) {
            fail(m_sectionLine, "[" + m_section + "] has no link");
        }
        m_settings.terminals.push_back(*m_terminal);
        m_terminal.reset();
    }

    std::string m_fileName;
    int m_line = 0;
    CollectorSettings m_settings;
    std::string m_section;
    int m_sectionLine = 0;
    std::set<std::string> m_keys, m_sections;
    std::optional<TerminalSettings> m_terminal;
};

} // namespace

CollectorSettings ParseCollectorConfig(const std::string& text, const std::string& fileName) {
    return Parser(fileName).parse(text);
}

CollectorSettings ReadCollectorConfig(const std::string& path) {
    QFile file(QString::fromLocal8Bit(path.c_str()));
    if (!file.open(QIODevice::ReadOnly)) {
        throw ConfigError(path + ": " + file.errorString().toStdString());
    }
    return ParseCollectorConfig(file.readAll().toStdString(), path);
}

} // namespace kelvra::collector
