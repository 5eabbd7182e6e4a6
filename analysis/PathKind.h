#pragma once

/// The three kinds of items a removal list holds: it picks one of the lists and the matching listing of
/// a bill of materials.
enum class PathKind {
    File,   // regular files ("lsbom -f")
    Folder, // directories ("lsbom -d")
    Link,   // symbolic links ("lsbom -l")
};
