// The window program with a Get that reads past the end of an empty array, so
// that the fatal report can be seen through the real window.
#include "shell/application.h"
#include "text/text.h"

int main(int, char** argv) {
    tovrel::WindowActions actions;
    actions.get = [] {
        const tovrel::TextArray empty;
        (void)empty.member(1);
    };
    actions.enter = [] {};
    return tovrel::runApplication(argv[0], actions);
}
