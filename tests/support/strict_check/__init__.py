"""The strict check of saved packages: schema validation after Markup Compatibility
processing, and the rules the schemas cannot state. See __main__.py for the command."""
from .check import Checker
from .findings import Finding, Result, introduced
from .schemas import SchemaFolderMissing, Schemas, schema_folder
