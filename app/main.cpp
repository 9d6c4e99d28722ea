#include "app/Application.h"

int main(int argc, char** argv) { return tamarind::RunTamarind(argc, argv); }
