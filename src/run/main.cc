#include "run/main_program.h"

int main(int argc, char** argv) { return zelvane::Main(argc, argv); }
