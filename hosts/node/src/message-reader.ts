// Turns the bytes of descriptor 4 into replies, events and protocol errors. A text that does not
// parse, or is neither a reply nor an event, is reported with its bytes; what follows it still
// arrives.
import { ObjectSplitter } from './object-splitter';
import { BridgeEvent, ProtocolError, Reply } from './events';

export interface MessageSink {
  reply(reply: Reply): void;
  event(event: BridgeEvent): void;
  protocolError(error: ProtocolError): void;
}

export class MessageReader {
  private readonly splitter: ObjectSplitter;

  constructor(
    private readonly sink: MessageSink,
    maxObjectBytes?: number,
  ) {
    this.splitter = new ObjectSplitter(
      {
        object: (bytes) => this.classify(bytes),
        stray: (bytes, reason, code) =>
          this.sink.protocolError({ code, message: reason, bytes: Buffer.from(bytes) }),
      },
      maxObjectBytes,
    );
  }

  feed(chunk: Buffer): void {
    this.splitter.feed(chunk);
  }

  end(): void {
    this.splitter.end();
  }

  private classify(bytes: Buffer): void {
    let value: unknown;
    try {
      value = JSON.parse(bytes.toString('utf8'));
    } catch (e) {
      this.sink.protocolError({
        code: 'not-json',
        message: `not JSON: ${(e as Error).message}`,
        bytes: Buffer.from(bytes),
      });
      return;
    }
    const text = value as { type?: unknown; code?: unknown; param?: unknown };
    if (typeof text.type === 'string' && typeof text.param === 'object' && text.param !== null) {
      this.sink.event(text as BridgeEvent);
    } else if (
      typeof text.type === 'string' &&
      typeof text.code === 'number' &&
      !('param' in text)
    ) {
      this.sink.reply({ code: text.code, type: text.type });
    } else {
      this.sink.protocolError({
        code: 'not-a-message',
        message: 'neither a reply nor an event',
        bytes: Buffer.from(bytes),
      });
    }
  }
}
