#include "app/startup_rules.h"

#include <cstring>

bool UpperCaseCopy(const char* text, char* out, size_t outSize) {
    if (outSize == 0) return false;
    size_t i = 0;
    for (; text[i] != '\0'; ++i) {
        if (i + 1 >= outSize) {
            out[0] = '\0';
            return false;
        }
        const char c = text[i];
        out[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    out[i] = '\0';
    return true;
}

CommandLineRequest ClassifyCommandLine(int argumentCount, const char* argument) {
    if (argumentCount != 1 || argument == nullptr) return CommandLineRequest::Activate;
    char copy[kCommandLineCopySize];
    // An argument longer than the copy cannot be held, so it names no Button file.
    if (!UpperCaseCopy(argument, copy, sizeof copy)) return CommandLineRequest::Ignore;
    if (std::strstr(copy, ".BKLT") == nullptr) return CommandLineRequest::Ignore;
    const size_t length = std::strlen(copy);
    return length >= 5 && std::strcmp(copy + length - 5, ".BKLT") == 0 ? CommandLineRequest::OpenButtonFile
                                                                       : CommandLineRequest::BadExtension;
}

bool JoinBounded(char* out, size_t outSize, std::initializer_list<const char*> parts) {
    if (outSize == 0) return false;
    size_t used = 0;
    for (const char* part : parts) {
        const size_t length = std::strlen(part);
        if (length >= outSize - used) {
            out[0] = '\0';
            return false;
        }
        std::memcpy(out + used, part, length);
        used += length;
    }
    out[used] = '\0';
    return true;
}

bool BuildQuotedProgramPath(const char* folder, char* out, size_t outSize) {
    return JoinBounded(out, outSize, {"\"", folder, "\\brisklet.exe\""});
}

bool BuildHelpPath(const char* folder, char* out, size_t outSize) {
    return JoinBounded(out, outSize, {folder, "\\brisklet.chm"});
}

bool InstallFolderUsable(const char* folder) {
    char scratch[kInstallPathSize];
    return BuildQuotedProgramPath(folder, scratch, sizeof scratch) && BuildHelpPath(folder, scratch, sizeof scratch);
}

bool BuildProbePath(const char* tempFolder, char* out, size_t outSize) {
    return JoinBounded(out, outSize, {tempFolder, "dummy.htm"});
}
