// The two markers around the program's constant area.
#include "runtime/interface/constant_area.h"

extern "C" {
extern const uint8_t kConstantAreaStart[4];
extern const uint8_t kConstantAreaEnd[4];
__attribute__((section(".rdata$program_constants_a"), used, aligned(4)))
const uint8_t kConstantAreaStart[4] = {0, 0, 0, 0};
__attribute__((section(".rdata$program_constants_z"), used, aligned(4)))
const uint8_t kConstantAreaEnd[4] = {0, 0, 0, 0};
}
