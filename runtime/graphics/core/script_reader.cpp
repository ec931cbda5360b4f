#include "script_reader.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace graphics {
namespace {

struct Token {
    enum class Kind { Bare, Quoted, Row };
    Kind kind;
    std::string text;  // a row: what stands between the brackets
};

constexpr double kLongestWait = 2147483;  // seconds

[[noreturn]] void fail(const std::string& message) { throw ScriptSyntaxError(message); }

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::vector<Token> tokenize(std::string_view line) {
    std::vector<Token> tokens;
    std::size_t k = 0;
    while (true) {
        while (k < line.size() && isBlank(line[k])) ++k;
        if (k == line.size()) return tokens;
        if (line[k] == '"') {
            std::string text;
            for (++k; k < line.size() && line[k] != '"'; ++k) {
                if (line[k] == '\\' && k + 1 < line.size() && (line[k + 1] == '"' || line[k + 1] == '\\')) ++k;
                text += line[k];
            }
            if (k == line.size()) fail("guillemet fermant manquant");
            tokens.push_back({Token::Kind::Quoted, text});
            ++k;
        } else if (line[k] == '[') {
            std::size_t close = line.find(']', k);
            if (close == std::string_view::npos) fail("crochet fermant manquant");
            tokens.push_back({Token::Kind::Row, std::string(line.substr(k + 1, close - k - 1))});
            k = close + 1;
        } else {
            std::size_t end = k;
            while (end < line.size() && !isBlank(line[end])) ++end;
            std::string_view word = line.substr(k, end - k);
            if (word.find_first_of("\"[]") != std::string_view::npos)
                fail("« " + std::string(word) + " » est mal formé");
            tokens.push_back({Token::Kind::Bare, std::string(word)});
            k = end;
        }
    }
}

double number(const Token& token) {
    double value = 0;
    const char* end = token.text.data() + token.text.size();
    auto [ptr, error] = std::from_chars(token.text.data(), end, value);
    if (token.kind != Token::Kind::Bare || token.text.empty() || error != std::errc() || ptr != end)
        fail("« " + token.text + " » n'est pas un nombre");
    return value;
}

double finiteNumber(const Token& token) {
    double value = number(token);
    if (!std::isfinite(value)) fail("« " + token.text + " » n'est pas un nombre fini");
    return value;
}

int count(const Token& token, int least) {
    int value = 0;
    const char* end = token.text.data() + token.text.size();
    auto [ptr, error] = std::from_chars(token.text.data(), end, value);
    if (token.kind != Token::Kind::Bare || token.text.empty() || error != std::errc() || ptr != end || value < least)
        fail("« " + token.text + " » n'est pas un entier supérieur ou égal à " + std::to_string(least));
    return value;
}

const std::string& text(const Token& token) {
    if (token.kind == Token::Kind::Row) fail("un texte est attendu à la place de [" + token.text + "]");
    return token.text;
}

mxArray row(const Token& token) {
    std::vector<double> values;
    std::string item;
    for (char c : token.text + ' ') {
        if (isBlank(c) || c == ',') {
            if (!item.empty()) values.push_back(number({Token::Kind::Bare, item}));
            item.clear();
        } else {
            item += c;
        }
    }
    return mxArray::row(std::move(values));
}

mxArray argument(const Token& token) {
    switch (token.kind) {
    case Token::Kind::Quoted: return mxArray::text(token.text);
    case Token::Kind::Row: return row(token);
    case Token::Kind::Bare: break;
    }
    return mxArray::scalar(number(token));
}

}  // namespace

std::optional<ScriptCommand> parseScriptLine(std::string_view line) {
    std::size_t start = 0;
    while (start < line.size() && isBlank(line[start])) ++start;
    if (start == line.size() || line[start] == '#') return std::nullopt;
    std::vector<Token> tokens = tokenize(line.substr(start));
    using Kind = ScriptCommand::Kind;
    struct Grammar {
        const char* name;
        Kind kind;
        const char* usage;
        std::size_t least, most;  // argument counts
    };
    static const Grammar grammars[] = {
        {"slider", Kind::Slider, "slider N VALEUR", 2, 2},
        {"press", Kind::Press, "press \"TEXTE\"", 1, 1},
        {"edit", Kind::Edit, "edit N \"TEXTE\"", 2, 2},
        {"callback", Kind::Callback, "callback \"TEXTE\"", 1, 1},
        {"call", Kind::Call, "call FONCTION NSORTIES ARGUMENT...", 2, SIZE_MAX},
        {"dump", Kind::Dump, "dump", 0, 0},
        {"snapshot", Kind::Snapshot, "snapshot FICHIER.png", 1, 1},
        {"screenshot", Kind::Screenshot, "screenshot FICHIER.png", 1, 1},
        {"wait", Kind::Wait, "wait SECONDES", 1, 1},
    };
    const Token& head = tokens[0];
    const Grammar* grammar = nullptr;
    for (const auto& g : grammars)
        if (head.kind == Token::Kind::Bare && head.text == g.name) grammar = &g;
    if (!grammar) fail("commande inconnue « " + head.text + " »");
    std::vector<Token> args(tokens.begin() + 1, tokens.end());
    if (args.size() < grammar->least || args.size() > grammar->most)
        fail(std::string("usage : ") + grammar->usage);

    ScriptCommand command;
    command.kind = grammar->kind;
    switch (command.kind) {
    case Kind::Slider:
        command.index = count(args[0], 1);
        command.number = finiteNumber(args[1]);
        break;
    case Kind::Edit:
        command.index = count(args[0], 1);
        command.text = text(args[1]);
        break;
    case Kind::Press:
    case Kind::Callback:
    case Kind::Snapshot:
    case Kind::Screenshot: command.text = text(args[0]); break;
    case Kind::Call:
        if (args[0].kind != Token::Kind::Bare)
            fail("nom de fonction attendu à la place de « " + args[0].text + " »");
        command.text = args[0].text;
        command.index = count(args[1], 0);
        for (auto it = args.begin() + 2; it != args.end(); ++it) command.arguments.push_back(argument(*it));
        break;
    case Kind::Wait:
        command.number = finiteNumber(args[0]);
        if (command.number < 0) fail("une durée positive est attendue");
        // The event loop's timers count in int milliseconds.
        if (command.number > kLongestWait) fail("une durée d'au plus 2147483 secondes est attendue");
        break;
    case Kind::Dump: break;
    }
    return command;
}

}  // namespace graphics
