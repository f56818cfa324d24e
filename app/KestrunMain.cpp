#include "app/Main.h"

int main(int argc, char* argv[]) { return kestrun::Main(argc, argv); }
