// The program's entry when it is built without the window.

#include "app/headless/headless.h"

int main(int argc, char** argv) { return tillgate::RunHeadless(argc, argv); }
