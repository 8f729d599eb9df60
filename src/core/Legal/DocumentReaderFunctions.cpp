#include "core/Legal/DocumentReaderFunctions.hpp"

#include "core/Legal/HTMLDocumentReader.hpp"
#include "core/Legal/OfficeDocumentReader.hpp"
#include "core/Legal/PDFDocumentReader.hpp"
#include "core/Legal/WordDocumentReader.hpp"

namespace halyard {

const DocumentReaderFunctions& DocumentReaderFunctions::readers() {
  static const DocumentReaderFunctions table{PDFDocumentReader::read, WordDocumentReader::read,
                                             HTMLDocumentReader::read, HTMLDocumentReader::readHTML,
                                             OfficeDocumentReader::read};
  return table;
}

} // namespace halyard

// The entry the program looks up after loading the module.
extern "C" const halyard::DocumentReaderFunctions* bosun_document_readers_v2() {
  return &halyard::DocumentReaderFunctions::readers();
}
