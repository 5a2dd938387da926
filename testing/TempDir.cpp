#include "testing/TempDir.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#ifdef _WIN32
#include <cstring>
#include <random>
#endif

namespace kalvo::test {

#ifdef _WIN32
namespace {

// MinGW's C runtime has no mkdtemp: fill the trailing XXXXXX with random letters until a folder of
// that name can be created (creation fails when the name is taken, so no two tests share one).
char* mkdtemp(char* pattern)
{
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    const std::size_t length = std::strlen(pattern);
    if (length < 6)
        return nullptr;
    std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof letters - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        for (std::size_t i = length - 6; i < length; ++i)
            pattern[i] = letters[pick(random)];
        std::error_code error;
        if (std::filesystem::create_directory(pattern, error))
            return pattern;
        if (error)
            return nullptr;
    }
    return nullptr;
}

}  // namespace
#endif

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "kalvo-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace kalvo::test
