// A row of a table-driven test that maps one text to the text it must give back: a result,
// a message, an address.
#pragma once

namespace mq::test {

struct TextCase {
  const char* in;
  const char* out;
};

}  // namespace mq::test
