// Linked with the whole core library but without QtWidgets; see CMakeLists.txt.
int main() { return 0; }
