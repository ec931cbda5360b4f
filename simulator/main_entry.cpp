#include "host.h"
#include "main.h"
#include "main_mainhg.h"

int main(int argc, char** argv) { return mclMainhg(argc, argv, mlxMain, 0, _main_info); }
