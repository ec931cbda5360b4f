// Helpers shared by the graphics runtime's tests.
#pragma once

#include "errors.h"
#include "graphics.h"
#include "tree.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

inline mxArray T(const char* utf8) { return mxArray::text(utf8); }
inline mxArray N(double x) { return mxArray::scalar(x); }
inline mxArray Row(std::initializer_list<double> values) { return mxArray::row(values); }
inline double handle(const mxArray& h) { return h.toScalar(); }

// The message of the error the action raises.
inline std::string errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const mclError& e) {
        return e.what();
    }
    return "(aucune erreur)";
}

// Every test starts and ends with the root alone, no view, no callback runner.
class FreshTree : public ::testing::Test {
protected:
    graphics::Tree& tree = graphics::programTree();
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }

private:
    void reset() {
        tree.setCallbackRunner({});
        tree.clear();
        tree.setView(nullptr);
    }
};
