#pragma once
// The member tables of the object models (object_model.cpp): what each
// object answers by name. To teach the substitute a new member, add an
// entry to the table of the object that has it.
#include "dispatch_table.h"
#include "document_format.h"

namespace orvo::fake {

class ApplicationObject;
class DocumentObject;

const Dispatcher<ApplicationObject>& applicationMembers(Suite suite);
const Dispatcher<DocumentObject>& documentMembers(Suite suite);

// Pastes the clipboard at the document's selection: a bitmap becomes an
// inline picture, text is typed. Throws DispatchFault when it holds neither.
void pasteClipboard(DocumentObject& doc);

}  // namespace orvo::fake
