// Stands in for the Win32 layer's sources while velmora_win has none: CMake
// refuses a static library without sources.
namespace velmora {
}
