// The editor's description record and process entry point.
#include "graphics.h"
#include "host.h"
#include "morvane_a1.h"

namespace {

const mlfFunctionTableEntry function_table[] = {
    {EDITOR_PROGRAM_NAME, mlxMorvane, -1, 0, &_local_function_table_morvane},
};

const mclGlobalTableEntry global_table[] = {
    {"val", &val},
};

const mclInitTermEntry init_term_table[] = {
    {libfuncInitialize, libfuncTerminate},
    {libgraphInitialize, libgraphTerminate},
    {InitializeModule_morvane, TerminateModule_morvane},
};

}  // namespace

extern const mclMainInfo _main_info = {1, 1, function_table, 1, global_table, 0, nullptr, 3,
                                       init_term_table};

int main(int argc, char** argv) { return mclMainhg(argc, argv, mlxMorvane, 0, _main_info); }
