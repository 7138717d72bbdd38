# Included from engine/CMakeLists.txt.
# The NTX index module: B-tree files, key encoding, the checker. The table
# engine (kor_engine) links it; its tests drive it with key bytes alone.
kor_library(kor_ntx
  SOURCES ntx.cpp ntxtree.cpp ntxbuild.cpp ntxcheck.cpp ntxkey.cpp
  DEPS kor_values kor_runtime kor_platform)

kor_test(ntx_test
  SOURCES tests/ntx_test.cpp tests/ntx_key_test.cpp tests/ntx_handmade_test.cpp
          tests/ntx_shared_test.cpp tests/ntx_corrupt_test.cpp
  DEPS kor_ntx kor_testing)

# The benchmark also measures orders of tables (the engine, the expression
# language) and, as the baseline for appends, shapelib's DBF library.
find_library(KOR_NTX_SHP_LIBRARY shp)
find_path(KOR_NTX_SHP_INCLUDE shapefil.h)
if(KOR_NTX_SHP_LIBRARY AND KOR_NTX_SHP_INCLUDE)
  kor_bench(ntx_bench SOURCES bench/ntx_bench.cpp bench/index_bench.cpp
            DEPS kor_ntx kor_engine ${KOR_NTX_SHP_LIBRARY})
  if(TARGET ntx_bench)
    target_include_directories(ntx_bench PRIVATE ${KOR_NTX_SHP_INCLUDE})
  endif()
else()
  kor_bench(ntx_bench SOURCES bench/ntx_bench.cpp DEPS kor_ntx)
endif()
kor_fuzz(ntx_fuzz SOURCES fuzz/ntx_fuzz.cpp DEPS kor_ntx)

# ntxtool: dump and check an index file from the command line.
add_executable(ntxtool tools/ntxtool.cpp)
target_compile_options(ntxtool PRIVATE ${KOR_WARNINGS})
target_link_libraries(ntxtool PRIVATE kor_ntx)
