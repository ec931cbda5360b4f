#include "main_mainhg.h"

#include "calcul_pts.h"
#include "deg2rad.h"
#include "graphics.h"
#include "main.h"
#include "three_var.h"
#include "v_cr2reelle.h"
#include "v_reelle2cr.h"
#include "var_.h"
#include "xlim.h"
#include "ylim.h"

#include <iterator>

namespace {

const mlfFunctionTableEntry function_table[] = {
    {"main", mlxMain, -1, 0, &_local_function_table_main},
    {"calcul_pts", mlxCalcul_pts, 3, 1, &_local_function_table_calcul_pts},
    {"v_cr2reelle", mlxV_cr2reelle, 3, 1, &_local_function_table_v_cr2reelle},
    {"v_reelle2cr", mlxV_reelle2cr, 3, 1, &_local_function_table_v_reelle2cr},
    {"three_var", mlxThree_var, 1, 1, &_local_function_table_three_var},
    {"var_", mlxVar_, 5, 3, &_local_function_table_var_},
    {"xlim", mlxXlim, 2, -1, &_local_function_table_xlim},
    {"ylim", mlxYlim, 2, -1, &_local_function_table_ylim},
    {"deg2rad", mlxDeg2rad, 1, 1, &_local_function_table_deg2rad},
};

// In byte order of the names.
const mclGlobalTableEntry global_table[] = {
    {"CoutO", &CoutO},
    {"CoutR", &CoutR},
    {"Nb_essai", &Nb_essai},
    {"ax", &ax},
    {"h_fig", &h_fig},
    {"outillage", &outillage},
    {"reglage", &reglage},
    {"vh", &vh},
};

// The libraries first, then the modules in the order of function_table.
const mclInitTermEntry init_term_table[] = {
    {libfuncInitialize, libfuncTerminate},
    {libgraphInitialize, libgraphTerminate},
    {InitializeModule_main, TerminateModule_main},
    {InitializeModule_calcul_pts, TerminateModule_calcul_pts},
    {InitializeModule_v_cr2reelle, TerminateModule_v_cr2reelle},
    {InitializeModule_v_reelle2cr, TerminateModule_v_reelle2cr},
    {InitializeModule_three_var, TerminateModule_three_var},
    {InitializeModule_var_, TerminateModule_var_},
    {InitializeModule_xlim, TerminateModule_xlim},
    {InitializeModule_ylim, TerminateModule_ylim},
    {InitializeModule_deg2rad, TerminateModule_deg2rad},
};

}  // namespace

const mclMainInfo _main_info = {
    1,
    static_cast<int>(std::size(function_table)), function_table,
    static_cast<int>(std::size(global_table)), global_table,
    0, nullptr,
    static_cast<int>(std::size(init_term_table)), init_term_table,
};
