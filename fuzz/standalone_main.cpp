// Runs a fuzz target over files and folders of inputs, without libFuzzer:
// the checked-in seeds and regressions become an ordinary test.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv)
{
    int runs = 0;
    for (int a = 1; a < argc; ++a) {
        const std::filesystem::path root(argv[a]);
        std::vector<std::filesystem::path> files;
        if (std::filesystem::is_directory(root)) {
            for (const auto& entry : std::filesystem::directory_iterator(root))
                if (entry.is_regular_file()) files.push_back(entry.path());
        } else {
            files.push_back(root);
        }
        for (const auto& file : files) {
            std::ifstream in(file, std::ios::binary);
            const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
            ++runs;
        }
    }
    std::printf("%d inputs ran clean\n", runs);
    return runs > 0 ? 0 : 1;
}
