// Placeholder translation unit so the fixtures library always has a source; fixtures join it.
namespace testing_support {
int linkAnchor = 0;
}
