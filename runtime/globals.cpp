#include "globals.h"

#include "program.h"

mxArray& mclGlobalVariable::storage() {
    if (!value_) value_.emplace();
    return *value_;
}

const mxArray& mclVg(const mclGlobalVariable& global) {
    if (!global.isSet()) mclValidateError(global.name().c_str());
    return *global.value();
}

mxArray& mclInitGlobal(mclGlobalVariable& global) { return global.storage(); }
