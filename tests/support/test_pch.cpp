// Owner of the precompiled header the test suites share.
int main() { return 0; }
