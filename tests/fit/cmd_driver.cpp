// Runs the nrx fit subcommand stand-alone: fit_cmd_driver fit [arguments].
int nrx_cmd_fit(int argc, char** argv);
int main(int argc, char** argv) { return argc < 2 ? 2 : nrx_cmd_fit(argc - 1, argv + 1); }
