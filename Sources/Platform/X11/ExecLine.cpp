#include "ExecLine.h"

#include "DocumentURL.h"
#include "FileURL.h"
#include "Log.h"

namespace vorn::platform::x11 {
namespace {

struct Token {
    std::string text;
    bool quoted = false;
};

// Splits at unquoted blanks. Inside double quotes a backslash escapes ", `, $ and itself.
std::optional<std::vector<Token>> tokenize(std::string_view line) {
    std::vector<Token> tokens;
    Token current;
    bool inToken = false;
    bool inQuotes = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (inQuotes) {
            if (c == '"') {
                inQuotes = false;
            } else if (c == '\\' && i + 1 < line.size()
                       && std::string_view("\"`$\\").find(line[i + 1]) != std::string_view::npos) {
                current.text.push_back(line[++i]);
            } else {
                current.text.push_back(c);
            }
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inToken) {
                tokens.push_back(std::move(current));
                current = Token{};
                inToken = false;
            }
            continue;
        }
        inToken = true;
        if (c == '"') {
            inQuotes = true;
            current.quoted = true;
        } else {
            current.text.push_back(c);
        }
    }
    if (inQuotes) {
        return std::nullopt;
    }
    if (inToken) {
        tokens.push_back(std::move(current));
    }
    return tokens;
}

}  // namespace

bool takesManyDocuments(std::string_view exec) {
    return exec.find("%F") != std::string_view::npos || exec.find("%U") != std::string_view::npos;
}

std::optional<std::vector<std::string>> expandExec(const DesktopEntry& entry,
                                                   std::span<const std::string> documents) {
    auto tokens = tokenize(entry.exec);
    if (!tokens || tokens->empty()) {
        vornWMLog().notice("x11: desktop entry has no usable Exec id=", entry.id);
        return std::nullopt;
    }
    std::vector<std::string> argv;
    bool placedDocuments = false;
    const std::string first = documents.empty() ? std::string() : documents.front();
    for (const Token& token : *tokens) {
        // Codes are only meaningful outside quotes; inside them they are taken as written.
        if (token.quoted) {
            argv.push_back(token.text);
            continue;
        }
        const std::string& t = token.text;
        if (t == "%F" || t == "%U") {
            for (const std::string& document : documents) {
                argv.push_back(t == "%U" ? FileURL::fromPath(document) : document);
            }
            placedDocuments = true;
            continue;
        }
        if (t == "%f" || t == "%u") {
            if (!documents.empty()) {
                argv.push_back(t == "%u" ? FileURL::fromPath(first) : first);
            }
            placedDocuments = true;
            continue;
        }
        if (t == "%i") {
            if (!entry.icon.empty()) {
                argv.emplace_back("--icon");
                argv.push_back(entry.icon);
            }
            continue;
        }
        std::string expanded;
        bool dropped = false;
        for (std::size_t i = 0; i < t.size(); ++i) {
            if (t[i] != '%' || i + 1 == t.size()) {
                expanded.push_back(t[i]);
                continue;
            }
            switch (t[++i]) {
                case '%':
                    expanded.push_back('%');
                    break;
                case 'f':
                case 'F':
                    expanded += first;
                    placedDocuments = true;
                    break;
                case 'u':
                case 'U':
                    expanded += documents.empty() ? std::string() : FileURL::fromPath(first);
                    placedDocuments = true;
                    break;
                case 'c':
                    expanded += entry.name;
                    break;
                case 'k':
                    expanded += entry.path.string();
                    break;
                default:
                    // Deprecated and unknown codes stand for nothing.
                    dropped = true;
                    break;
            }
        }
        if (!expanded.empty() || !dropped) {
            argv.push_back(std::move(expanded));
        }
    }
    if (!placedDocuments) {
        argv.insert(argv.end(), documents.begin(), documents.end());
    }
    if (argv.empty() || argv.front().empty()) {
        return std::nullopt;
    }
    return argv;
}

}  // namespace vorn::platform::x11
