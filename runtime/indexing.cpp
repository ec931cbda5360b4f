#include "indexing.h"

#include "errors.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

namespace {

[[noreturn]] void outOfRange(double index, const mxArray& a) {
    throw mclError("Indice " + std::to_string(static_cast<long long>(index)) +
                   " hors limites : la valeur a " + std::to_string(a.numel()) + " éléments (" +
                   a.sizeText() + ").");
}

std::size_t position(double index, const mxArray& a, std::size_t limit) {
    if (!(index >= 1.0) || std::floor(index) != index)
        throw mclError("Indice invalide : " + std::to_string(index) +
                       " (un indice est un entier positif).");
    if (index > static_cast<double>(limit)) outOfRange(index, a);
    return static_cast<std::size_t>(index) - 1;
}

bool isColon(const mxArray& index) {
    return index.isChar() && index.codes() == u":";
}

// The 0-based positions an index selects along a dimension of length n.
std::vector<std::size_t> positions(const mxArray& index, const mxArray& a, std::size_t n) {
    std::vector<std::size_t> out;
    if (isColon(index)) {
        for (std::size_t k = 0; k < n; ++k) out.push_back(k);
        return out;
    }
    for (std::size_t k = 0; k < index.numel(); ++k) out.push_back(position(index.at(k), a, n));
    return out;
}

mxArray element(const mxArray& a, std::size_t k) {
    switch (a.kind()) {
    case mxArray::Kind::Double: {
        mxArray out = mxArray::scalar(a.at(k));
        if (a.isComplex()) out.setImag({a.imagAt(k)});
        return out;
    }
    case mxArray::Kind::Char: return mxArray::text(std::u16string(1, a.codes()[k]));
    case mxArray::Kind::Cell: return mxArray::cell({a.elements()[k]});
    case mxArray::Kind::Struct: break;
    }
    throw mclError("Une structure ne s'indexe pas par position.");
}

// One step of an indexing pattern.
struct Step {
    enum Kind { CellElement, Field, Element } kind;
    std::string field;
};

std::vector<Step> parsePattern(const char* pattern) {
    std::vector<Step> steps;
    std::string p(pattern);
    for (std::size_t i = 0; i < p.size();) {
        if (p.compare(i, 3, "{?}") == 0) {
            steps.push_back({Step::CellElement, {}});
            i += 3;
        } else if (p.compare(i, 3, "(?)") == 0) {
            steps.push_back({Step::Element, {}});
            i += 3;
        } else if (p[i] == '.') {
            std::size_t end = p.find_first_of("({.", i + 1);
            if (end == std::string::npos) end = p.size();
            steps.push_back({Step::Field, p.substr(i + 1, end - i - 1)});
            i = end;
        } else {
            throw mclError("Motif d'indexation invalide : « " + p + " ».");
        }
    }
    return steps;
}

double takeIndex(std::initializer_list<mxArray>::const_iterator& it,
                 std::initializer_list<mxArray>::const_iterator end) {
    if (it == end) throw mclError("Indice manquant pour le motif d'indexation.");
    return (it++)->toScalar("L'indice");
}

}  // namespace

mxArray mclIntArrayRef1(const mxArray& a, int index) {
    return element(a, position(index, a, a.numel()));
}

mxArray mclArrayRef2(const mxArray& a, const mxArray& i, const mxArray& j) {
    if (!a.isDouble()) throw mclError("Indexation à deux indices réservée aux nombres.");
    auto rows = positions(i, a, a.rows());
    auto cols = positions(j, a, a.cols());
    std::vector<double> out;
    out.reserve(rows.size() * cols.size());
    for (std::size_t c : cols)
        for (std::size_t r : rows) out.push_back(a.at(r, c));
    return mxArray::matrix(rows.size(), cols.size(), std::move(out));
}

void mclIntArrayAssign1(mxArray& a, const mxArray& v, int index) {
    double value = v.toScalar("La valeur affectée");
    if (index < 1) throw mclError("Indice invalide : " + std::to_string(index) + ".");
    auto k = static_cast<std::size_t>(index);
    if (a.isEmpty()) a = mxArray::zeros(1, 0);
    if (!a.isDouble()) throw mclError("Affectation d'un nombre dans une " + a.kindName() + ".");
    if (k > a.numel()) {
        if (a.rows() == 1) a.resize(1, k);
        else if (a.cols() == 1) a.resize(k, 1);
        else outOfRange(index, a);
    }
    a.set(k - 1, value);
}

mxArray mlfCreateColonIndex() { return mxArray::text(u":"); }

int mclLengthInt(const mxArray& a) {
    return a.isEmpty() ? 0 : static_cast<int>(std::max(a.rows(), a.cols()));
}

mxArray mlfHorzcat(std::initializer_list<mxArray> parts) {
    return mlfHorzcat(std::vector<mxArray>(parts));
}

mxArray mlfHorzcat(const std::vector<mxArray>& parts) {
    bool anyText = std::any_of(parts.begin(), parts.end(), [](auto& p) { return p.isChar(); });
    bool anyCell = std::any_of(parts.begin(), parts.end(), [](auto& p) { return p.isCell(); });
    if (anyCell) {
        std::vector<mxArray> cells;
        for (const auto& p : parts) {
            if (p.isCell()) cells.insert(cells.end(), p.elements().begin(), p.elements().end());
            else if (!p.isEmpty()) cells.push_back(p);
        }
        return mxArray::cell(std::move(cells));
    }
    if (anyText) {
        std::u16string joined;
        for (const auto& p : parts) {
            if (p.isChar()) joined += p.codes();
            else
                for (std::size_t k = 0; k < p.numel(); ++k)
                    joined += static_cast<char16_t>(p.at(k));
        }
        return mxArray::text(std::move(joined));
    }
    std::size_t rows = 0, cols = 0;
    std::vector<double> data;
    for (const auto& p : parts) {
        if (p.isEmpty()) continue;
        if (p.isStruct()) throw mclError("Concaténation d'une structure impossible.");
        if (cols > 0 && p.rows() != rows)
            throw mclError("Concaténation horizontale impossible : " + std::to_string(rows) +
                           " lignes et " + p.sizeText() + ".");
        rows = p.rows();
        cols += p.cols();
        data.insert(data.end(), p.real().begin(), p.real().end());
    }
    return cols == 0 ? mxArray() : mxArray::matrix(rows, cols, std::move(data));
}

mxArray mlfVertcat(std::initializer_list<mxArray> parts) {
    std::size_t rows = 0, cols = 0;
    std::vector<const mxArray*> kept;
    for (const auto& p : parts) {
        if (p.isEmpty()) continue;
        if (!p.isDouble()) throw mclError("Concaténation verticale réservée aux nombres.");
        if (!kept.empty() && p.cols() != cols)
            throw mclError("Concaténation verticale impossible : " + std::to_string(cols) +
                           " colonnes et " + p.sizeText() + ".");
        cols = p.cols();
        rows += p.rows();
        kept.push_back(&p);
    }
    std::vector<double> data(rows * cols);
    std::size_t rowOffset = 0;
    for (const mxArray* p : kept) {
        for (std::size_t r = 0; r < p->rows(); ++r)
            for (std::size_t c = 0; c < cols; ++c) data[c * rows + rowOffset + r] = p->at(r, c);
        rowOffset += p->rows();
    }
    return rows == 0 ? mxArray() : mxArray::matrix(rows, cols, std::move(data));
}

mxArray mlfIndexRef(const mxArray& base, const char* pattern, std::initializer_list<mxArray> indices) {
    auto it = indices.begin();
    mxArray current = base;
    for (const Step& step : parsePattern(pattern)) {
        switch (step.kind) {
        case Step::Field: {
            mxArray next = std::as_const(current).field(step.field);  // a read never creates a field
            current = std::move(next);
            break;
        }
        case Step::Element:
            current = mclIntArrayRef1(current, static_cast<int>(takeIndex(it, indices.end())));
            break;
        case Step::CellElement: {
            if (!current.isCell()) throw mclError("Accès « {} » sur une " + current.kindName() + ".");
            auto k = position(takeIndex(it, indices.end()), current, current.numel());
            mxArray next = current.elements()[k];
            current = std::move(next);
            break;
        }
        }
    }
    return current;
}

void mlfIndexAssign(mxArray& base, const char* pattern, const mxArray& value,
                    std::initializer_list<mxArray> indices) {
    auto it = indices.begin();
    mxArray* target = &base;
    auto steps = parsePattern(pattern);
    for (std::size_t s = 0; s < steps.size(); ++s) {
        const Step& step = steps[s];
        bool last = s + 1 == steps.size();
        switch (step.kind) {
        case Step::Field:
            target = &target->field(step.field);
            if (last) *target = value;
            break;
        case Step::Element:
            if (!last) throw mclError("Motif d'indexation non pris en charge à l'affectation.");
            mclIntArrayAssign1(*target, value, static_cast<int>(takeIndex(it, indices.end())));
            break;
        case Step::CellElement: {
            if (!target->isCell()) throw mclError("Accès « {} » sur une " + target->kindName() + ".");
            auto k = position(takeIndex(it, indices.end()), *target, target->numel());
            target = &target->elements()[k];
            if (last) *target = value;
            break;
        }
        }
    }
}
