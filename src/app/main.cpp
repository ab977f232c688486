#include "app/application.h"

int main(int /*argc*/, char** argv) { return tambrel::RunTambrel(argv[0]); }
