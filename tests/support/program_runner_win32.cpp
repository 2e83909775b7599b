// Runs the built kelvartix.exe (path given by the build) with CreateProcessW, its standard output
// and error sent to files; the Windows side of program_runner.h.
#include <windows.h>

#include "tests/support/program_runner.h"
#include "tests/support/temp_dir.h"

namespace {

// One argument as the C runtime's command-line parser reads it back: quoted, with backslashes
// doubled where they stand before a quote.
std::wstring quoted(const std::wstring& argument) {
    std::wstring text = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        text.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        text.push_back(c);
    }
    text.append(backslashes * 2, L'\\');
    text.push_back(L'"');
    return text;
}

HANDLE inheritable_file(const std::filesystem::path& path) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The console text with the platform's line ends turned back into "\n".
std::string without_carriage_returns(std::string text) {
    std::erase(text, '\r');
    return text;
}

}  // namespace

ProgramRun run_kelvartix(const std::filesystem::path& working_directory,
                         const std::vector<std::string>& arguments, const ChildPreparation& prepare) {
    ProgramRun result;
    if (prepare) {
        result.setup_error = "a child preparation needs fork, which Windows lacks";
        return result;
    }
    TempDir capture;
    // The test runs in the build folder; the program's path is made absolute there, before the
    // child starts in a folder that may lie on another drive.
    static const std::filesystem::path program = std::filesystem::absolute(KELVARTIX_BINARY);
    std::wstring command_line = quoted(program.wstring());
    for (const std::string& argument : arguments)
        command_line +=
            L" " + quoted(std::filesystem::path(std::u8string(argument.begin(), argument.end())).wstring());

    HANDLE out = inheritable_file(capture / "stdout");
    HANDLE err = inheritable_file(capture / "stderr");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    const BOOL started = out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
                         CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, working_directory.c_str(), &startup, &process);
    if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);
    if (err != INVALID_HANDLE_VALUE)
        CloseHandle(err);
    if (!started) {
        result.setup_error = "CreateProcessW failed: " + std::to_string(GetLastError());
        return result;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // As a POSIX parent sees it, so that the tests read alike on both systems: -1 is 255.
    result.exit_code = static_cast<int>(code & 0xFF);
    result.out = without_carriage_returns(read_file(capture / "stdout"));
    result.err = without_carriage_returns(read_file(capture / "stderr"));
    return result;
}
