//===- driver/main.cpp - Program entry ------------------------------------===//

int main() { return 0; }
