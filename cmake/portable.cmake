# The portable core: plain C++, no platform types. Each folder builds its portable
# library in both builds and adds its Windows shell only in the win32 build.
add_subdirectory(common)
add_subdirectory(settings)
add_subdirectory(outside)
add_subdirectory(component)
add_subdirectory(viewer)
add_subdirectory(tolvex)
