/* Starts what it is given as the bridge: prints the outcome, exits 0 when start and close
 * worked. */
#include <quorlane.h>
#include <stdio.h>

int main(int argc, char** argv) {
    quorlane_options options;
    quorlane_bridge* bridge;
    quorlane_exit exit_info;
    char message[256];
    int result;
    quorlane_options_init(&options);
    options.executable = argc > 1 ? argv[1] : "Quorlane";
    result = quorlane_start(&options, &bridge, message, sizeof message);
    printf("libquorlane %s: start %s %s\n", quorlane_version(), quorlane_result_text(result),
           message);
    if (result != QUORLANE_OK)
        return 1;
    quorlane_close(bridge, 5000);
    quorlane_exit_info(bridge, &exit_info);
    printf("%s\n", exit_info.description);
    quorlane_destroy(bridge);
    return exit_info.exited && exit_info.code == 0 ? 0 : 1;
}
