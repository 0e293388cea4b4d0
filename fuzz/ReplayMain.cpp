// Runs a fuzz target over every file of the folders given, without libFuzzer: the seed corpus
// as a plain test. A finding aborts, as it does under the fuzzer.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <set>

#include "files/WholeFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    std::set<std::filesystem::path> inputs;  // in a fixed order
    for (int i = 1; i < argc; ++i)
        for (const auto& entry : std::filesystem::directory_iterator(argv[i]))
            if (entry.is_regular_file()) inputs.insert(entry.path());
    for (const auto& input : inputs) {
        const auto bytes = ReadWholeFile(input);
        if (!bytes) {
            std::fprintf(stderr, "cannot read %s\n", input.c_str());
            return 1;
        }
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size());
    }
    std::printf("%zu inputs replayed\n", inputs.size());
    return inputs.empty() ? 1 : 0;
}
