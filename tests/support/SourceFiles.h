// The test data of the source tree, read by the suites that check against files (feeds, PNG
// pictures, the pictures of res/). ctest gives every suite the tree's root in MQ_SOURCE_DIR
// (mq_add_test); without it the working directory is taken.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace mq::test {

// `relative` ("tests/data/feeds", "res/tile.bmp") below the source tree's root.
inline std::string SourcePath(const std::string& relative) {
  const char* root = std::getenv("MQ_SOURCE_DIR");
  return std::string(root ? root : ".") + "/" + relative;
}

// Every byte of a file of the source tree; a file that cannot be read fails the test and
// gives no bytes.
template <typename Bytes = std::string>
Bytes ReadSourceFile(const std::string& relative) {
  const std::string path = SourcePath(relative);
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot read " << path;
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace mq::test
