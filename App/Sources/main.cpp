#include "Application.h"

int main(int argc, char** argv) {
    return vorn::app::runApplication(argc, argv);
}
