// Global variables: named values shared by every call in the process. A
// global holds no value until its first assignment and keeps it for the life
// of the process.
#pragma once

#include "mxarray.h"

#include <optional>
#include <string>

class mclGlobalVariable {
public:
    explicit mclGlobalVariable(std::string name) : name_(std::move(name)) {}
    mclGlobalVariable(const mclGlobalVariable&) = delete;
    mclGlobalVariable& operator=(const mclGlobalVariable&) = delete;

    const std::string& name() const { return name_; }
    bool isSet() const { return value_.has_value(); }
    // Created by the first assignment.
    mxArray& storage();
    void assign(mxArray value) { value_ = std::move(value); }
    // Back to "never set"; used when a process-like life starts again in tests.
    void clear() { value_.reset(); }
    const std::optional<mxArray>& value() const { return value_; }

private:
    std::string name_;
    std::optional<mxArray> value_;
};

// The value of a global; raises the unset-variable error naming it.
const mxArray& mclVg(const mclGlobalVariable& global);
// The storage of a global for assignment, created on first use.
mxArray& mclInitGlobal(mclGlobalVariable& global);
