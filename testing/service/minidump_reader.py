"""A reader of the parts of a minidump the crash tests look at: the header,
the stream directory, the exception stream and the installer's annotation
stream (type 0x43500001), whose positions are absolute file offsets once
the installer has fixed them up.

    dump = Minidump(data)
    dump.exception_code, dump.stream_types
    stream = dump.annotation_stream()
    stream.annotations          # [(key, value), ...] in stored order
"""
import struct
import uuid

SIGNATURE = b"MDMP"
EXCEPTION_STREAM = 6
THREAD_LIST_STREAM = 3
MODULE_LIST_STREAM = 4
ANNOTATION_STREAM = 0x43500001
ANNOTATION_HEADER_SIZE = 52


class MinidumpError(ValueError):
    pass


def _u32(data, offset):
    if offset < 0 or offset + 4 > len(data):
        raise MinidumpError("read of 4 bytes at %d beyond %d" %
                            (offset, len(data)))
    return struct.unpack_from("<I", data, offset)[0]


class AnnotationStream:
    """The decoded stream. positions: (key offset, value offset) of each
    entry as stored; dictionary_position: as stored at offset 40."""

    def __init__(self, data, position, size):
        self.position = position
        self.size = size
        if size < ANNOTATION_HEADER_SIZE:
            raise MinidumpError("annotation stream of %d bytes" % size)
        self.version = _u32(data, position)
        self.report_id = uuid.UUID(bytes_le=bytes(data[position + 4:
                                                        position + 20]))
        self.client_id = uuid.UUID(bytes_le=bytes(data[position + 20:
                                                        position + 36]))
        self.dictionary_size = _u32(data, position + 36)
        self.dictionary_position = _u32(data, position + 40)
        self.module_list = (_u32(data, position + 44),
                            _u32(data, position + 48))
        count = _u32(data, self.dictionary_position)
        self.positions = []
        self.annotations = []
        for i in range(count):
            entry = self.dictionary_position + 4 + 8 * i
            key_at, value_at = _u32(data, entry), _u32(data, entry + 4)
            self.positions.append((key_at, value_at))
            self.annotations.append((_record(data, key_at),
                                     _record(data, value_at)))

    def as_dict(self):
        return dict(self.annotations)


def _record(data, offset):
    length = _u32(data, offset)
    end = offset + 4 + length
    if end + 1 > len(data):
        raise MinidumpError("record at %d runs past the file" % offset)
    if data[end] != 0:
        raise MinidumpError("record at %d lacks its NUL" % offset)
    return bytes(data[offset + 4:end]).decode("utf-8")


class Minidump:
    def __init__(self, data):
        self.data = data
        if data[:4] != SIGNATURE:
            raise MinidumpError("no minidump signature: %r" % data[:4])
        self.version = _u32(data, 4) & 0xFFFF
        count = _u32(data, 8)
        directory = _u32(data, 12)
        self.streams = []
        for i in range(count):
            entry = directory + 12 * i
            stream_type = _u32(data, entry)
            size = _u32(data, entry + 4)
            position = _u32(data, entry + 8)
            if stream_type != 0 and position + size > len(data):
                raise MinidumpError("stream %#x runs past the file" %
                                    stream_type)
            self.streams.append((stream_type, size, position))

    @property
    def stream_types(self):
        return [s[0] for s in self.streams if s[0] != 0]

    def stream(self, stream_type):
        for found, size, position in self.streams:
            if found == stream_type:
                return size, position
        return None

    @property
    def exception_code(self):
        """The code of the exception stream, or None without one."""
        found = self.stream(EXCEPTION_STREAM)
        if found is None:
            return None
        # ThreadId, alignment, then the record: ExceptionCode first.
        return _u32(self.data, found[1] + 8)

    @property
    def exception_thread_id(self):
        found = self.stream(EXCEPTION_STREAM)
        return None if found is None else _u32(self.data, found[1])

    def annotation_stream(self):
        found = self.stream(ANNOTATION_STREAM)
        if found is None:
            raise MinidumpError("no annotation stream")
        size, position = found
        return AnnotationStream(self.data, position, size)
