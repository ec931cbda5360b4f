#include "mxarray.h"

#include "charset.h"
#include "errors.h"

#include <algorithm>

namespace {
[[noreturn]] void noFields(const std::string& kindName) {
    throw mclError("Une valeur de type " + kindName + " n'a pas de champs.");
}
}  // namespace

mxArray mxArray::scalar(double value) {
    mxArray a;
    a.rows_ = a.cols_ = 1;
    a.real_ = {value};
    return a;
}

mxArray mxArray::complexScalar(double re, double im) {
    mxArray a = scalar(re);
    a.imag_ = {im};
    return a;
}

mxArray mxArray::row(std::initializer_list<double> values) {
    return row(std::vector<double>(values));
}

mxArray mxArray::row(std::vector<double> values) {
    mxArray a;
    a.rows_ = values.empty() ? 0 : 1;
    a.cols_ = values.size();
    a.real_ = std::move(values);
    return a;
}

mxArray mxArray::column(std::vector<double> values) {
    mxArray a;
    a.rows_ = values.size();
    a.cols_ = values.empty() ? 0 : 1;
    a.real_ = std::move(values);
    return a;
}

mxArray mxArray::matrix(std::size_t rows, std::size_t cols, std::vector<double> data) {
    if (data.size() != rows * cols)
        throw mclError("Matrice mal formée : " + std::to_string(data.size()) + " valeurs pour " +
                       std::to_string(rows) + "x" + std::to_string(cols) + ".");
    mxArray a;
    a.rows_ = rows;
    a.cols_ = cols;
    a.real_ = std::move(data);
    return a;
}

mxArray mxArray::zeros(std::size_t rows, std::size_t cols) {
    return matrix(rows, cols, std::vector<double>(rows * cols, 0.0));
}

mxArray mxArray::text(std::u16string codes) {
    mxArray a;
    a.kind_ = Kind::Char;
    a.rows_ = codes.empty() ? 0 : 1;
    a.cols_ = codes.size();
    a.chars_ = std::move(codes);
    return a;
}

mxArray mxArray::text(std::string_view utf8) { return text(cp1252FromUtf8(utf8)); }

mxArray mxArray::cell(std::vector<mxArray> elements) {
    mxArray a;
    a.kind_ = Kind::Cell;
    a.rows_ = elements.empty() ? 0 : 1;
    a.cols_ = elements.size();
    a.cells_ = std::move(elements);
    return a;
}

mxArray mxArray::structure() {
    mxArray a;
    a.kind_ = Kind::Struct;
    a.rows_ = a.cols_ = 1;
    return a;
}

std::string mxArray::sizeText() const {
    return std::to_string(rows_) + "x" + std::to_string(cols_);
}

std::string mxArray::kindName() const {
    switch (kind_) {
    case Kind::Double: return "nombre";
    case Kind::Char: return "texte";
    case Kind::Cell: return "liste";
    case Kind::Struct: return "structure";
    }
    return "valeur";
}

double mxArray::at(std::size_t k) const {
    if (k >= numel())
        throw mclError("Indice " + std::to_string(k + 1) + " hors limites : la valeur a " +
                       std::to_string(numel()) + " éléments (" + sizeText() + ").");
    switch (kind_) {
    case Kind::Double: return real_[k];
    case Kind::Char: return chars_[k];
    default: throw mclError("Une " + kindName() + " n'a pas d'éléments numériques.");
    }
}

void mxArray::set(std::size_t k, double value) {
    if (kind_ != Kind::Double) throw mclError("Seul un tableau de nombres reçoit un nombre.");
    if (k >= numel())
        throw mclError("Indice " + std::to_string(k + 1) + " hors limites : la valeur a " +
                       std::to_string(numel()) + " éléments (" + sizeText() + ").");
    real_[k] = value;
}

double mxArray::toScalar(std::string_view what) const {
    if (kind_ != Kind::Double || numel() != 1)
        throw mclError(std::string(what) + " devrait être un nombre seul, c'est un(e) " + kindName() +
                       " de taille " + sizeText() + ".");
    return real_[0];
}

void mxArray::setImag(std::vector<double> imag) {
    if (!imag.empty() && imag.size() != real_.size())
        throw mclError("Partie imaginaire de taille différente de la partie réelle.");
    imag_ = std::move(imag);
}

std::string mxArray::toUtf8() const {
    if (kind_ == Kind::Char) return utf8FromCp1252(chars_);
    if (isEmpty() && kind_ == Kind::Double) return {};
    throw mclError("Un texte est attendu, la valeur est un(e) " + kindName() + ".");
}

bool mxArray::hasField(std::string_view name) const {
    return std::find(fieldNames_.begin(), fieldNames_.end(), name) != fieldNames_.end();
}

const mxArray& mxArray::field(std::string_view name) const {
    if (kind_ != Kind::Struct) noFields(kindName());
    auto it = std::find(fieldNames_.begin(), fieldNames_.end(), name);
    if (it == fieldNames_.end()) throw mclError("Le champ « " + std::string(name) + " » n'existe pas.");
    return fieldValues_[it - fieldNames_.begin()];
}

mxArray& mxArray::field(std::string_view name) {
    if (kind_ != Kind::Struct) {
        // Assigning a field to an empty value turns it into a structure.
        if (!isEmpty()) noFields(kindName());
        *this = structure();
    }
    auto it = std::find(fieldNames_.begin(), fieldNames_.end(), name);
    if (it != fieldNames_.end()) return fieldValues_[it - fieldNames_.begin()];
    fieldNames_.emplace_back(name);
    fieldValues_.emplace_back();
    return fieldValues_.back();
}

void mxArray::resize(std::size_t rows, std::size_t cols) {
    if (kind_ != Kind::Double) throw mclError("Seul un tableau de nombres change de taille.");
    std::vector<double> grown(rows * cols, 0.0);
    std::vector<double> grownImag(imag_.empty() ? 0 : rows * cols, 0.0);
    for (std::size_t c = 0; c < std::min(cols, cols_); ++c)
        for (std::size_t r = 0; r < std::min(rows, rows_); ++r) {
            grown[c * rows + r] = real_[c * rows_ + r];
            if (!imag_.empty()) grownImag[c * rows + r] = imag_[c * rows_ + r];
        }
    rows_ = rows;
    cols_ = cols;
    real_ = std::move(grown);
    imag_ = std::move(grownImag);
}

bool operator==(const mxArray& a, const mxArray& b) {
    return a.kind_ == b.kind_ && a.rows_ == b.rows_ && a.cols_ == b.cols_ && a.real_ == b.real_ &&
           a.imag_ == b.imag_ && a.chars_ == b.chars_ && a.cells_ == b.cells_ &&
           a.fieldNames_ == b.fieldNames_ && a.fieldValues_ == b.fieldValues_;
}
