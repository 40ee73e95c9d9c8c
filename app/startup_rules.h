// The rules of start-up that need no window: what the command line asks for, and the paths
// built from the installation folder and the temporary folder. Every copy is bounded by the
// size of its destination; a result that does not fit is refused, never cut.
#pragma once

#include <cstddef>
#include <initializer_list>

// Size of the upper-cased copy of the command-line argument; an argument must fit in it
// (at most 1,023 characters) to name a Button file.
constexpr size_t kCommandLineCopySize = 1024;
// Size of the installation folder and of the paths built from it.
constexpr size_t kInstallPathSize = 1024;

enum class CommandLineRequest {
    Activate,        // no argument, or more than one: show a running bar if there is one
    OpenButtonFile,  // one argument naming a Button file: it ends in ".bklt", in any letter case
    BadExtension,    // one argument holding ".BKLT" that does not end in it ("notes.bklt.txt")
    Ignore,          // one argument naming no Button file, or too long to be one: start as usual
};

// argumentCount counts the arguments after the program name; argument is the first of them
// (may be null when there is none).
CommandLineRequest ClassifyCommandLine(int argumentCount, const char* argument);

// Copies text into out upper-casing the ASCII letters a to z only. False, with out empty,
// when text does not fit in outSize - 1 characters.
bool UpperCaseCopy(const char* text, char* out, size_t outSize);

// Joins the parts into out. False, with out empty, when they do not fit in outSize - 1
// characters.
bool JoinBounded(char* out, size_t outSize, std::initializer_list<const char*> parts);

// "\"" folder "\\brisklet.exe\"" and folder "\\brisklet.chm", each in kInstallPathSize bytes.
bool BuildQuotedProgramPath(const char* folder, char* out, size_t outSize);
bool BuildHelpPath(const char* folder, char* out, size_t outSize);

// An installation folder is usable when both paths above fit in kInstallPathSize bytes; a
// longer one is treated like a missing "InstalledPath".
bool InstallFolderUsable(const char* folder);

// The temporary file used to find the program for .htm files: the temporary folder (which
// ends with a backslash) followed by "dummy.htm". False when it does not fit.
bool BuildProbePath(const char* tempFolder, char* out, size_t outSize);
