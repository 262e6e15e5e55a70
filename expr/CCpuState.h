#pragma once
// The processor state the evaluator runs in. Code that uses the upper halves of the AVX registers
// and does not clear them on its way out (Qt's raster drawing and its platform set-up, built for
// AVX-512) leaves them dirty, and on Intel processors every SSE instruction of the evaluator that
// follows pays for that, up to twenty times its time, until the next vzeroupper. Whoever samples
// after such code calls Clean: at the start of a walk over the samples, after every drawing call.
class CCpuState {
public:
    // Clears the upper halves of the AVX registers where the processor has them; nothing where
    // it has not. Costs a few cycles.
    static void Clean();
};
