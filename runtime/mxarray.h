// The runtime's value: a double matrix (with an optional imaginary part), a row
// of 16-bit characters, a cell array, a structure, or the empty 0x0 matrix.
// A regular value type: copies are independent, destruction frees everything.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class mxArray {
public:
    enum class Kind { Double, Char, Cell, Struct };

    // The empty 0x0 double matrix.
    mxArray() = default;

    // ---- construction --------------------------------------------------
    static mxArray scalar(double value);
    static mxArray complexScalar(double re, double im);
    static mxArray row(std::initializer_list<double> values);
    static mxArray row(std::vector<double> values);
    static mxArray column(std::vector<double> values);
    // Column-major data, rows x cols.
    static mxArray matrix(std::size_t rows, std::size_t cols, std::vector<double> data);
    static mxArray zeros(std::size_t rows, std::size_t cols);
    // A text whose characters are Windows-1252 codes.
    static mxArray text(std::u16string codes);
    // A text given in UTF-8 (program literals), stored as Windows-1252 codes.
    static mxArray text(std::string_view utf8);
    static mxArray text(const char* utf8) { return text(std::string_view(utf8)); }
    static mxArray cell(std::vector<mxArray> elements);  // 1 x n
    static mxArray structure();                           // 1x1, no fields

    // ---- kind and size -------------------------------------------------
    Kind kind() const { return kind_; }
    bool isDouble() const { return kind_ == Kind::Double; }
    bool isChar() const { return kind_ == Kind::Char; }
    bool isCell() const { return kind_ == Kind::Cell; }
    bool isStruct() const { return kind_ == Kind::Struct; }
    bool isEmpty() const { return numel() == 0; }
    bool isComplex() const { return !imag_.empty(); }
    bool isScalar() const { return numel() == 1; }
    std::size_t rows() const { return rows_; }
    std::size_t cols() const { return cols_; }
    std::size_t numel() const { return rows_ * cols_; }
    // "3x1" and the like, for messages.
    std::string sizeText() const;
    std::string kindName() const;

    // ---- doubles (0-based, column-major) --------------------------------
    // Doubles and texts both have numeric elements (a character is its code).
    double at(std::size_t k) const;
    double at(std::size_t r, std::size_t c) const { return at(c * rows_ + r); }
    double imagAt(std::size_t k) const { return imag_.empty() ? 0.0 : imag_.at(k); }
    void set(std::size_t k, double value);
    const std::vector<double>& real() const { return real_; }
    const std::vector<double>& imag() const { return imag_; }
    // The value as one double; raises a clear error for anything but a 1x1 number.
    double toScalar(std::string_view what = "la valeur") const;
    void setImag(std::vector<double> imag);

    // ---- texts -------------------------------------------------------------
    const std::u16string& codes() const { return chars_; }
    std::string toUtf8() const;  // a text's characters, as UTF-8

    // ---- cells -------------------------------------------------------------
    const std::vector<mxArray>& elements() const { return cells_; }
    std::vector<mxArray>& elements() { return cells_; }

    // ---- structures ----------------------------------------------------------
    bool hasField(std::string_view name) const;
    const mxArray& field(std::string_view name) const;  // raises when absent
    mxArray& field(std::string_view name);               // creates when absent
    const std::vector<std::string>& fieldNames() const { return fieldNames_; }

    // ---- reshaping ---------------------------------------------------------
    void resize(std::size_t rows, std::size_t cols);  // keeps elements, new ones 0

    friend bool operator==(const mxArray& a, const mxArray& b);
    friend bool operator!=(const mxArray& a, const mxArray& b) { return !(a == b); }

private:
    Kind kind_ = Kind::Double;
    std::size_t rows_ = 0, cols_ = 0;
    std::vector<double> real_, imag_;
    std::u16string chars_;
    std::vector<mxArray> cells_;
    std::vector<std::string> fieldNames_;
    std::vector<mxArray> fieldValues_;
};
