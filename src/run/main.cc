#include "run/command_line.h"

int main(int argc, char** argv) { return zelvane::Main(argc, argv); }
