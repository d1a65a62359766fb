// tinygltf's loader, built once for the tests that read a written glb back:
// a reader of its own, not the writer's code.
#define TINYGLTF_IMPLEMENTATION
#include <tiny_gltf.h>
