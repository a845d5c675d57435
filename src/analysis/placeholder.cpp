// Placeholder so the library exists before its first source lands.
namespace tickscope {
int AnalysisLibraryPlaceholder() { return 0; }
}
