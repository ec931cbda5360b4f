#include "files.h"

#include "conversion.h"
#include "errors.h"
#include "file_safety.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct OpenFile {
    std::string name;
    // Reading: the whole content and the position of the next read.
    std::string content;
    std::size_t position = 0;
    // Writing: what was printed, written out at closing, either in place of
    // the target (a replacement) or at its end (an append).
    bool writing = false;
    std::string pending;
    std::unique_ptr<file_safety::Replacement> replacement;
    // An append's target from the root, as it was when opened: a later change
    // of folder does not move it.
    std::string appendPath;
    // Opening order, so that a failed group of accesses closes what it opened.
    unsigned long long serial = 0;
};

unsigned long long& openSerial() {
    static unsigned long long serial = 0;
    return serial;
}

std::map<int, OpenFile>& openFiles() {
    static std::map<int, OpenFile> files;
    return files;
}

int smallestFreeId() {
    int id = 3;
    for (const auto& [used, file] : openFiles()) {
        if (used != id) break;
        ++id;
    }
    return id;
}

OpenFile& fileFor(const mxArray& idValue, const char* operation) {
    double id = idValue.toScalar("L'identifiant de fichier");
    auto it = openFiles().find(static_cast<int>(id));
    if (std::floor(id) != id || it == openFiles().end())
        throw mclError(std::string(operation) + " : identifiant de fichier invalide (" +
                       std::to_string(static_cast<long long>(id)) +
                       ")" + (id == -1 ? " ; le fichier n'a pas pu être ouvert." : "."));
    return it->second;
}

// A path as it reads in a message: from the root, so that the folder shows.
std::string shownPath(const std::string& name) {
    std::error_code ec;
    fs::path absolute = fs::absolute(name, ec);
    return ec ? name : absolute.lexically_normal().string();
}

// Reads one number at text[pos...], skipping blanks first.
bool readNumber(const std::string& text, std::size_t& pos, double& value) {
    std::size_t p = pos;
    while (p < text.size() && std::isspace(static_cast<unsigned char>(text[p]))) ++p;
    std::size_t length = readNumberPrefix(std::string_view(text).substr(p), value);
    if (length == 0) return false;
    pos = p + length;
    return true;
}

// ---- formatted output --------------------------------------------------------

struct Conversion {
    std::string flags;
    int width = -1;
    int precision = -1;
    char type = 0;  // 0 for a literal piece
    std::string literal;
};

std::string unescape(const std::string& format) {
    std::string out;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '\\' && i + 1 < format.size()) {
            char next = format[++i];
            switch (next) {
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case '\\': out += '\\'; break;
            default: out += '\\'; out += next;
            }
        } else {
            out += format[i];
        }
    }
    return out;
}

std::vector<Conversion> parseFormat(const std::string& raw) {
    std::string format = unescape(raw);
    std::vector<Conversion> pieces;
    std::string literal;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            literal += format[i];
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            literal += '%';
            ++i;
            continue;
        }
        Conversion c;
        std::size_t j = i + 1;
        while (j < format.size() && std::strchr("-+ 0#", format[j])) c.flags += format[j++];
        if (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j]))) {
            c.width = 0;
            while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j])))
                c.width = c.width * 10 + (format[j++] - '0');
        }
        if (j < format.size() && format[j] == '.') {
            c.precision = 0;
            ++j;
            while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j])))
                c.precision = c.precision * 10 + (format[j++] - '0');
        }
        if (j >= format.size() || !std::strchr("fFeEgGdisuc", format[j]))
            throw mclError("Format d'écriture non pris en charge : « " + raw + " ».");
        c.type = format[j];
        if (!literal.empty()) pieces.push_back({{}, -1, -1, 0, literal});
        literal.clear();
        pieces.push_back(c);
        i = j;
    }
    if (!literal.empty()) pieces.push_back({{}, -1, -1, 0, literal});
    return pieces;
}

std::string formatNumber(const Conversion& c, double x) {
    std::string body;
    if (std::isnan(x)) {
        body = "NaN";
    } else if (std::isinf(x)) {
        body = x > 0 ? "Inf" : "-Inf";
    } else {
        char buffer[512];
        std::to_chars_result r{};
        int precision = c.precision < 0 ? 6 : c.precision;
        switch (c.type) {
        case 'd': case 'i': case 'u':
            r = std::floor(x) == x
                    ? std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed, 0)
                    : std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::scientific, 6);
            break;
        case 'e': case 'E':
            r = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::scientific, precision);
            break;
        case 'g': case 'G':
            r = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::general,
                              precision == 0 ? 1 : precision);
            break;
        default:
            r = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed, precision);
        }
        body.assign(buffer, r.ptr);
        if (c.flags.find('+') != std::string::npos && x >= 0) body.insert(body.begin(), '+');
    }
    return body;
}

std::string pad(const Conversion& c, std::string body) {
    if (c.width > 0 && static_cast<int>(body.size()) < c.width) {
        std::string fill(c.width - body.size(), ' ');
        body = c.flags.find('-') != std::string::npos ? body + fill : fill + body;
    }
    return body;
}

std::string bytesOf(const std::u16string& codes) {
    std::string out;
    for (char16_t ch : codes) out += ch <= 0xFF ? static_cast<char>(ch) : '?';
    return out;
}

// Applies the format to every element of the value, cycling through it.
std::string formatAll(const std::string& format, const mxArray& value) {
    auto pieces = parseFormat(format);
    std::vector<std::string> textItems;  // used when the value is a text
    std::vector<double> numbers;
    bool isText = value.isChar();
    bool hasString = false;
    for (const auto& p : pieces) hasString = hasString || p.type == 's';
    if (isText && hasString) {
        textItems.push_back(bytesOf(value.codes()));
    } else if (value.isDouble() || value.isChar()) {
        for (std::size_t k = 0; k < value.numel(); ++k) numbers.push_back(value.at(k));
    } else {
        throw mclError("Écriture d'une " + value.kindName() + " dans un fichier impossible.");
    }
    std::size_t remaining = textItems.size() + numbers.size();
    std::size_t nextText = 0, nextNumber = 0;
    bool anyConversion = false;
    for (const auto& p : pieces) anyConversion = anyConversion || p.type != 0;

    std::string out;
    do {
        for (const auto& p : pieces) {
            if (p.type == 0) {
                out += p.literal;
                continue;
            }
            if (remaining == 0) return out;
            --remaining;
            if (nextText < textItems.size()) {
                out += pad(p, textItems[nextText++]);
            } else if (p.type == 's' || p.type == 'c') {
                double x = numbers[nextNumber++];
                out += pad(p, p.type == 'c' ? std::string(1, static_cast<char>(x))
                                            : formatNumber({"", -1, -1, 'g', ""}, x));
            } else {
                out += pad(p, formatNumber(p, numbers[nextNumber++]));
            }
        }
    } while (anyConversion && remaining > 0);
    return out;
}

}  // namespace

mxArray mlfFopen(const mxArray& nameValue, const std::optional<mxArray>& modeValue) {
    std::string name = nameValue.toUtf8();
    std::string mode = modeValue ? modeValue->toUtf8() : "r";
    // "t" and "b" change nothing on this system.
    std::string base;
    for (char c : mode)
        if (c != 't' && c != 'b') base += c;
    if (name.empty()) return mxArray::scalar(-1);

    OpenFile file;
    file.name = name;
    // Missing or not permitted: -1, as for any file that cannot be opened. A
    // file refused for what it is (a pipe, a device, a foreign link, a huge
    // file) raises an error that names it: the program would otherwise hang,
    // fill the memory or write where it must not.
    if (base == "r") {
        // Opened by its own name: a missing file, the models' usual case, costs
        // one failed open; the full path is worked out only for a message.
        file_safety::ReadResult read = file_safety::readRegularFile(name);
        if (read.status == file_safety::ReadStatus::Refused) {
            // The message names the file « name »; it shows the full path instead.
            const std::string quoted = "« " + name + " »";
            if (read.error.compare(0, quoted.size(), quoted) == 0)
                read.error.replace(0, quoted.size(), "« " + shownPath(name) + " »");
            throw mclError(read.error);
        }
        if (read.status != file_safety::ReadStatus::Read) return mxArray::scalar(-1);
        file.content = std::move(read.content);
    } else if (base == "w" || base == "a") {
        file_safety::WriteResult opened;
        if (base == "w") {
            file.replacement = std::make_unique<file_safety::Replacement>(shownPath(name));
            opened = file.replacement->opened();
        } else {
            file.appendPath = shownPath(name);
            opened = file_safety::appendToFile(file.appendPath, {});
        }
        if (opened.status == file_safety::WriteStatus::Refused) throw mclError(opened.error);
        if (!opened.ok()) return mxArray::scalar(-1);
        file.writing = true;
    } else {
        throw mclError("Mode d'ouverture de fichier inconnu : « " + mode + " ».");
    }
    file.serial = ++openSerial();
    int id = smallestFreeId();
    openFiles().emplace(id, std::move(file));
    return mxArray::scalar(id);
}

mxArray mlfFclose(const mxArray& id) {
    OpenFile& file = fileFor(id, "Fermeture de fichier");
    OpenFile closing = std::move(file);
    openFiles().erase(static_cast<int>(id.toScalar()));
    if (!closing.writing) return mxArray::scalar(0);
    file_safety::WriteResult written =
        closing.replacement ? closing.replacement->commit(closing.pending)
                            : file_safety::appendToFile(closing.appendPath, closing.pending);
    if (!written.ok()) throw mclError(written.error);
    return mxArray::scalar(0);
}

mxArray mlfFscanf(const mxArray& id, const mxArray& format) {
    OpenFile& file = fileFor(id, "Lecture de fichier");
    std::string wanted = format.toUtf8();
    if (wanted != "%f" && wanted != "%g" && wanted != "%e" && wanted != "%d")
        throw mclError("Format de lecture non pris en charge : « " + wanted + " ».");
    if (file.writing) throw mclError("Le fichier « " + file.name + " » est ouvert en écriture.");
    std::vector<double> numbers;
    double value = 0.0;
    while (readNumber(file.content, file.position, value)) numbers.push_back(value);
    return numbers.empty() ? mxArray() : mxArray::column(std::move(numbers));
}

bool mclOnlyBlanksLeft(const mxArray& id) {
    const OpenFile& file = fileFor(id, "Lecture de fichier");
    return std::all_of(file.content.begin() + static_cast<std::ptrdiff_t>(file.position),
                       file.content.end(),
                       [](char c) { return std::isspace(static_cast<unsigned char>(c)); });
}

mxArray mlfNFprintf(const mxArray& id, const mxArray& format, const mxArray& value) {
    std::string text = formatAll(format.toUtf8(), value);
    double number = id.toScalar("L'identifiant de fichier");
    if (number == 1 || number == 2) {
        std::fwrite(text.data(), 1, text.size(), number == 1 ? stdout : stderr);
        return mxArray::scalar(static_cast<double>(text.size()));
    }
    OpenFile& file = fileFor(id, "Écriture dans un fichier");
    if (!file.writing) throw mclError("Le fichier « " + file.name + " » est ouvert en lecture.");
    file.pending += text;
    return mxArray::scalar(static_cast<double>(text.size()));
}

void mlfNCd(const mxArray& directory) {
    std::string name = directory.toUtf8();
    std::error_code ec;
    fs::current_path(name, ec);
    if (ec)  // still where it was: the folder it could not leave is the current one
        throw mclError("Impossible d'entrer dans le dossier « " + name + " » depuis « " +
                       fs::current_path().string() + " » : " +
                       (ec == std::errc::no_such_file_or_directory ? std::string("il n'existe pas")
                                                                   : ec.message()) +
                       ".");
}

int mclOpenFileCount() { return static_cast<int>(openFiles().size()); }

void mclCloseAllFiles() { openFiles().clear(); }  // a replacement not committed is abandoned

namespace {

// What a group left open when an error ended it: abandoned, its id free again.
void closeFilesOpenedAfter(unsigned long long serial) {
    for (auto it = openFiles().begin(); it != openFiles().end();)
        it = it->second.serial > serial ? openFiles().erase(it) : std::next(it);
}

}  // namespace

mclFolderScope::mclFolderScope(const mxArray& folder)
    : start_(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)), serial_(openSerial()) {
    if (start_ < 0)
        throw mclError(std::string("Le dossier de travail est inaccessible : ") + std::strerror(errno) + ".");
    try {
        mlfNCd(folder);
    } catch (...) {
        ::close(start_);
        throw;
    }
    inside_ = true;
}

mclFolderScope::~mclFolderScope() {
    if (inside_) {
        closeFilesOpenedAfter(serial_);
        [[maybe_unused]] int ignored = ::fchdir(start_);
    }
    ::close(start_);
}

void mclFolderScope::leave(const mxArray& parent) {
    if (parent.toUtf8() != "..") {
        mlfNCd(parent);
    } else if (::fchdir(start_) != 0) {
        throw mclError(std::string("Retour impossible au dossier de travail : ") + std::strerror(errno) + ".");
    }
    inside_ = false;
}
