# The in-memory host and the scripted front-end for tests of the core; they
# fail the running GoogleTest test on a call nobody scripted.
if(NOT TARGET GTest::gtest)
  find_package(GTest REQUIRED)
endif()
add_library(corvantis_fakehost STATIC
  ${PROJECT_SOURCE_DIR}/tests/support/FakeHost.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/FakeUi.cpp
)
target_include_directories(corvantis_fakehost PUBLIC ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(corvantis_fakehost PUBLIC corvantis_core GTest::gtest)
