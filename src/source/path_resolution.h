#pragma once

#include <string>
#include <string_view>

namespace tickscope {

// How file names are joined and recognised as absolute: "\" separators, drive letters and
// network paths on Windows; "/" separators and a leading "/" elsewhere.
enum class PathStyle { Posix, Windows };

// The style of the platform the program runs on.
PathStyle NativePathStyle();

// Everything up to and including the last "\" or "/" of a file name; empty without either.
std::string PathPart(std::string_view fileName);

// Where an include directive's file is looked for.
struct ResolvedInclude {
    std::string PathToOpen;
    std::string IncludePath; // the include path in force for the file that is read
};

// Resolves a file name against the include path in force. An empty include path makes the
// file name's own folder the include path and opens the name as written. Otherwise a name
// holding ":" (or, in the Posix style, starting with "/") is opened as written, and any other
// name is joined to the include path with the separator, doubled separators collapsed.
ResolvedInclude ResolveInclude(std::string_view fileName, std::string_view includePath,
                               PathStyle style);

// The include path set by an "IncludePath" directive in the file whose folder is given. A
// relative folder is taken relative to that file's folder (not to the working folder of
// the process); a folder holding ":" or starting with a separator is taken as written.
std::string IncludePathFromDirective(std::string_view folder, std::string_view folderOfFile,
                                     PathStyle style);

// Replaces every run of separators by a single one. In the Windows style a leading pair of
// backslashes (a network path) is kept.
std::string CollapseSeparators(std::string_view path, PathStyle style);

} // namespace tickscope
