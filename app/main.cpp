#include "app/application.h"

int main(int argc, char** argv) { return korl::RunKorl(argc, argv); }
