#include "shell/application.h"

int main(int, char** argv) {
    return tovrel::runApplication(argv[0]);
}
