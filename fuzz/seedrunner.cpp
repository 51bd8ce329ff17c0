// Runs a fuzz target once on each file named on the command line, as libFuzzer would on its corpus; a
// fault aborts, and so fails the test.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "%s: no seed files given\n", argv[0]);
        return 1;
    }
    for (int i = 1; i < argc; ++i) {
        std::ifstream seed(argv[i], std::ios::binary);
        if (!seed) {
            std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[i]);
            return 1;
        }
        const std::vector<std::uint8_t> input((std::istreambuf_iterator<char>(seed)),
                                              std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(input.data(), input.size());
        std::printf("%s\n", argv[i]);
    }
    return 0;
}
