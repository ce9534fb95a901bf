// Cuts a byte stream into lines (UTF-8, "\n" or "\r\n" endings). A line longer than `maxLine`
// characters is handed on in pieces, so a stream without line ends cannot grow memory.
import { StringDecoder } from 'node:string_decoder';

export class LineSplitter {
  private readonly decoder = new StringDecoder('utf8');
  private partial = '';

  constructor(
    private readonly onLine: (line: string) => void,
    private readonly maxLine = 1 << 20,
  ) {}

  feed(chunk: Buffer): void {
    let text = this.partial + this.decoder.write(chunk);
    let start = 0;
    for (let end = text.indexOf('\n'); end >= 0; end = text.indexOf('\n', start)) {
      this.emit(text.slice(start, end));
      start = end + 1;
    }
    text = text.slice(start);
    while (text.length > this.maxLine) {
      this.onLine(text.slice(0, this.maxLine));
      text = text.slice(this.maxLine);
    }
    this.partial = text;
  }

  end(): void {
    const rest = this.partial + this.decoder.end();
    this.partial = '';
    if (rest.length > 0) this.emit(rest);
  }

  private emit(line: string): void {
    this.onLine(line.endsWith('\r') ? line.slice(0, -1) : line);
  }
}
