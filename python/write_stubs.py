"""Writes opos/__init__.pyi from the built module: the members come from the control
objects' member tables, so the stubs name exactly what the objects answer to.

usage: write_stubs.py OUTPUT (with the package on PYTHONPATH)
"""
import sys

# The package is imported from the build tree, not from the sources beside this script.
sys.path = [p for p in sys.path[1:]]

from opos import _opos

PYTHON_TYPES = {"int": "int", "str": "str", "bool": "bool", "int&": "int", "str&": "str"}

HEADER = '''# Type stubs of the opos package, written at build time from the member tables.
from typing import Any, AsyncIterator, Callable, ContextManager, Optional, Tuple, Type, TypeVar, Union

class OposError(Exception):
    result: int
    extended: int
    locus: int
    def __init__(self, result: int, extended: int = ..., locus: int = ..., message: str = ...) -> None: ...

class StatusUpdateEvent:
    data: int
    def __init__(self, data: int) -> None: ...
class OutputCompleteEvent:
    output_id: int
    def __init__(self, output_id: int) -> None: ...
class ErrorEvent:
    result: int
    extended: int
    locus: int
    response: int
    def __init__(self, result: int, extended: int, locus: int, response: int) -> None: ...
class DirectIOEvent:
    number: int
    data: int
    text: str
    def __init__(self, number: int, data: int, text: str) -> None: ...

Event = Union[StatusUpdateEvent, OutputCompleteEvent, ErrorEvent, DirectIOEvent]

class EventStream:
    def __aiter__(self) -> AsyncIterator[Event]: ...
    async def __anext__(self) -> Event: ...
    async def next(self, timeout: Optional[float] = ...) -> Event: ...
    async def aclose(self) -> None: ...
    async def __aenter__(self) -> EventStream: ...
    async def __aexit__(self, *exc_info: Any) -> None: ...

'''

FOOTER = '''
Device = TypeVar("Device", POSPrinter, CashDrawer, LineDisplay)

def check(result: Union[int, Tuple[Any, ...]], device: Optional[ControlObject] = ...) -> int: ...
def claimed(device_class: Type[Device], name: str, timeout: int = ..., enable: bool = ...) -> ContextManager[Device]: ...
'''

COMMON_EXTRA = '''    on_status_update: Optional[Callable[[int], None]]
    on_output_complete: Optional[Callable[[int], None]]
    on_error: Optional[Callable[[int, int, int, int], Optional[int]]]
    on_direct_io: Optional[Callable[[int, int, str], Optional[Tuple[int, str]]]]
    def events(self) -> EventStream: ...
    async def output_async(self, method: str, *args: Union[int, str, bytes]) -> int: ...
    async def print_async(self, station: int, data: str) -> int: ...
'''


def members(table):
    lines = []
    for name, kind, writable in table["properties"]:
        python_type = PYTHON_TYPES[kind]
        if writable:
            lines.append(f"    {name}: {python_type}")
        else:
            lines += ["    @property", f"    def {name}(self) -> {python_type}: ..."]
    for name, params in table["methods"]:
        arguments, outputs = ["self"], ["int"]
        for param, kind in params:
            value = "Union[str, bytes]" if kind == "str" else PYTHON_TYPES[kind]
            default = ""
            if kind.endswith("&"):
                outputs.append(PYTHON_TYPES[kind])
                default = " = ..."
            arguments.append(f"{param}: {value}{default}")
        result = outputs[0] if len(outputs) == 1 else f"Tuple[{', '.join(outputs)}]"
        lines.append(f"    def {name}({', '.join(arguments)}) -> {result}: ...")
    return "\n".join(lines) + "\n"


def main():
    out = [HEADER]
    constants = (n for n in dir(_opos) if isinstance(getattr(_opos, n), int) and not n.startswith("_"))
    for name in sorted(constants):
        out.append(f"{name}: int\n")
    out.append("\nclass ControlObject:\n")
    out.append(COMMON_EXTRA)
    out.append(members(_opos._member_table("POSPrinter", True)))
    for class_name in ("POSPrinter", "CashDrawer", "LineDisplay"):
        out.append(f"\nclass {class_name}(ControlObject):\n    def __init__(self) -> None: ...\n")
        out.append(members(_opos._member_table(class_name, False)))
    out.append(FOOTER)
    with open(sys.argv[1], "w", encoding="utf-8") as stubs:
        stubs.write("".join(out))


if __name__ == "__main__":
    main()
