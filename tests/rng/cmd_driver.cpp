// Stand-alone driver of the nrx rng subcommand for the tests: "driver rng ARGS...".
int nrx_cmd_rng(int argc, char** argv);
int main(int argc, char** argv) { return argc < 2 ? 2 : nrx_cmd_rng(argc - 1, argv + 1); }
