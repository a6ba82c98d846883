// Started once after the Wine prefix is made: proves programs can start.
int main() { return 0; }
