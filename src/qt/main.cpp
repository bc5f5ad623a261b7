#include "qt/Application.h"

int main(int argc, char** argv) { return vx::qt::RunApplication(argc, argv); }
