// ondu-pack: create, list, extract and verify IPK5 packages.
int main() { return 0; }
