// The window program itself, reporting its first paint.
#include "bench/first_paint.h"
#include "shell/application.h"

int main(int, char** argv) {
    tovrel::bench::reportFirstPaint();
    return tovrel::runApplication(argv[0]);
}
