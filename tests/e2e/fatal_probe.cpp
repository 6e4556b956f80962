// The window program with a Get that reads past the end of an empty array, so
// that the fatal report can be seen through the real window.
#include "shell/application.h"
#include "text/text.h"

namespace tovrel {

void fetchSharePage() {
    const TextArray empty;
    (void)empty.member(1);
}

void submitCaptcha() {}

}  // namespace tovrel

int main(int, char** argv) {
    return tovrel::runApplication(argv[0]);
}
